# Resources compiled into a program: ce_add_resources(<target> <script.rc>
#     [INCLUDE_DIRS <dir>...] [DEPENDS <file or target>...])
# runs the host tool ce_rc (tools/rc) on the script and adds the generated source, which
# registers the strings, icons, bitmaps and data with ce_gdi before main. Give it the executable
# (or an object library linked into one): from a static library the registration could be dropped
# by the linker. Files named in the script are found beside it, then in INCLUDE_DIRS; DEPENDS names
# generated files the script uses, so they are made first. Scripts, headers and files are tracked
# through a depfile: editing any of them rebuilds the source.
if(NOT TARGET ce_rc)
  add_executable(ce_rc ${CMAKE_CURRENT_LIST_DIR}/../tools/rc/rc.cpp)
endif()

function(ce_add_resources target script)
  cmake_parse_arguments(ARG "" "" "INCLUDE_DIRS;DEPENDS" ${ARGN})
  get_filename_component(script_path ${script} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(script_name ${script} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${script_name}_rc.cpp)
  set(include_args)
  foreach(dir IN LISTS ARG_INCLUDE_DIRS)
    get_filename_component(dir_path ${dir} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND include_args -I ${dir_path})
  endforeach()
  add_custom_command(
    OUTPUT ${out}
    COMMAND ce_rc -o ${out} -d ${out}.d ${include_args} ${script_path}
    DEPENDS ce_rc ${script_path} ${ARG_DEPENDS}
    DEPFILE ${out}.d
    COMMENT "Compiling resources ${script}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  target_link_libraries(${target} PRIVATE ce_gdi)
endfunction()
