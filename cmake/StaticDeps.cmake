# Libraries a program may take in at link time instead of loading at start.
#
# A program starts faster with fewer shared objects to map and relocate: Trapmarker's first frame
# waited on the dynamic loader more than on anything it draws. tm_pkg_library(NAME MODULE) makes
# the INTERFACE target tm_NAME for a pkg-config module: it links the module's static archives
# (and theirs) into an executable whose TM_STATIC_DEPS property is ON, and the shared libraries
# into every other one. Only libraries without process-wide state shared with other users belong
# here (not Xlib: the tests' own X11 calls must reach the same copy as the stand-in's).
option(TM_STATIC_DEPS "Link the font, picture and INI libraries statically into the programs" ON)

function(tm_pkg_library name module)
  pkg_check_modules(${name} REQUIRED IMPORTED_TARGET ${module})
  set(archives "")
  set(usable ${TM_STATIC_DEPS})
  if(TM_SANITIZE OR TM_FUZZ)
    set(usable OFF)  # the instrumented builds keep the plain set-up
  endif()
  if(usable)
    foreach(lib IN LISTS ${name}_STATIC_LIBRARIES)
      if(lib MATCHES "^(m|dl|pthread|rt|c)$")
        list(APPEND archives ${lib})  # the C library's own parts stay shared
        continue()
      endif()
      find_library(TM_ARCHIVE_${lib} NAMES lib${lib}.a HINTS ${${name}_STATIC_LIBRARY_DIRS})
      if(NOT TM_ARCHIVE_${lib})
        message(STATUS "${module}: no static lib${lib}.a; linked shared")
        set(usable OFF)
        break()
      endif()
      list(APPEND archives ${TM_ARCHIVE_${lib}})
    endforeach()
  endif()
  add_library(tm_${name} INTERFACE)
  target_include_directories(tm_${name} INTERFACE ${${name}_INCLUDE_DIRS})
  target_compile_options(tm_${name} INTERFACE ${${name}_CFLAGS_OTHER})
  if(usable)
    # Chosen per executable: the property is read on the program being linked.
    target_link_libraries(tm_${name} INTERFACE
      "$<IF:$<BOOL:$<TARGET_PROPERTY:TM_STATIC_DEPS>>,${archives},PkgConfig::${name}>")
  else()
    target_link_libraries(tm_${name} INTERFACE PkgConfig::${name})
  endif()
endfunction()

# Marks an executable to take the static archives, with the C++ runtime linked in as well.
function(tm_link_statically target)
  set_property(TARGET ${target} PROPERTY TM_STATIC_DEPS ON)
  if(TM_STATIC_DEPS AND NOT TM_SANITIZE AND NOT TM_FUZZ)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
