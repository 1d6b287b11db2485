// The XML reader on expat.
#include <expat.h>

#include <cstdio>
#include <cstring>

#include "navigator/xml_reader.h"

namespace nav {
namespace {

struct Reading {
  XML_Parser parser = nullptr;
  XmlEvents* events = nullptr;
  std::string error;
  std::vector<XmlAttribute> attributes;
};

std::string_view LocalName(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon ? colon + 1 : name;
}

void Stop(Reading& r, const std::string& why) {
  if (!why.empty() && r.error.empty()) {
    char where[48];
    snprintf(where, sizeof where, "line %lu: ", static_cast<unsigned long>(XML_GetCurrentLineNumber(r.parser)));
    r.error = where + why;
    XML_StopParser(r.parser, XML_FALSE);
  }
}

void XMLCALL OnStart(void* data, const char* name, const char** attrs) {
  auto& r = *static_cast<Reading*>(data);
  r.attributes.clear();
  for (int i = 0; attrs[i]; i += 2) r.attributes.push_back({std::string(LocalName(attrs[i])), attrs[i + 1]});
  Stop(r, r.events->Start(LocalName(name), r.attributes));
}

void XMLCALL OnEnd(void* data, const char* name) {
  auto& r = *static_cast<Reading*>(data);
  Stop(r, r.events->End(LocalName(name)));
}

void XMLCALL OnText(void* data, const char* text, int len) {
  static_cast<Reading*>(data)->events->Text(std::string_view(text, static_cast<size_t>(len)));
}

void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  Stop(*static_cast<Reading*>(data), "a document type declaration is not allowed");
}

}  // namespace

bool ReadXml(std::string_view xml, XmlEvents& events, std::string& error) {
  Reading r;
  r.events = &events;
  r.parser = XML_ParserCreate(nullptr);
  if (!r.parser) {
    error = "out of memory";
    return false;
  }
  XML_SetUserData(r.parser, &r);
  XML_SetElementHandler(r.parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(r.parser, OnText);
  XML_SetStartDoctypeDeclHandler(r.parser, OnDoctype);
  bool ok = XML_Parse(r.parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
  if (!ok && r.error.empty()) {
    char msg[160];
    snprintf(msg, sizeof msg, "line %lu: %s", static_cast<unsigned long>(XML_GetCurrentLineNumber(r.parser)),
             XML_ErrorString(XML_GetErrorCode(r.parser)));
    r.error = msg;
  }
  XML_ParserFree(r.parser);
  if (!r.error.empty()) {
    error = r.error;
    return false;
  }
  return true;
}

}  // namespace nav
