// The XML reader on Windows' own XmlLite (xmllite.dll, loaded by name: the toolchain has no
// import library for it), reading from a memory stream over the document.
#include <windows.h>
#include <initguid.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <cstdio>

#include "navigator/device_file.h"
#include "navigator/xml_reader.h"

namespace nav {
namespace {

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

template <class T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
};

std::string Utf8(const WCHAR* text, UINT length) {
  if (length == 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

std::string At(IXmlReader* reader, const std::string& why) {
  UINT line = 0;
  reader->GetLineNumber(&line);
  return "line " + std::to_string(line) + ": " + why;
}

std::string HresultText(HRESULT hr) {
  char text[48];
  snprintf(text, sizeof text, "not well-formed XML (0x%08lX)", static_cast<unsigned long>(hr));
  return text;
}

}  // namespace

bool ReadXml(std::string_view xml, XmlEvents& events, std::string& error) {
  static HMODULE library = LoadLibraryW(L"xmllite.dll");
  auto create = library ? reinterpret_cast<CreateXmlReaderFunction>(
                              reinterpret_cast<void*>(GetProcAddress(library, "CreateXmlReader")))
                        : nullptr;
  if (!create) {
    error = "this Windows has no XML reader (xmllite.dll)";
    return false;
  }
  Released<IStream> stream;
  stream.p = SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()), static_cast<UINT>(xml.size()));
  Released<IXmlReader> reader;
  if (!stream.p || FAILED(create(IID_IXmlReader, reinterpret_cast<void**>(&reader.p), nullptr))) {
    error = "out of memory";
    return false;
  }
  reader.p->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
  if (FAILED(reader.p->SetInput(stream.p))) {
    error = "cannot read the document";
    return false;
  }
  std::vector<XmlAttribute> attributes;
  XmlNodeType type;
  HRESULT hr;
  while ((hr = reader.p->Read(&type)) == S_OK) {
    const WCHAR* text = nullptr;
    UINT length = 0;
    std::string why;
    switch (type) {
      case XmlNodeType_Element: {
        reader.p->GetLocalName(&text, &length);
        std::string name = Utf8(text, length);
        bool empty = reader.p->IsEmptyElement();
        attributes.clear();
        for (HRESULT a = reader.p->MoveToFirstAttribute(); a == S_OK; a = reader.p->MoveToNextAttribute()) {
          XmlAttribute attribute;
          reader.p->GetLocalName(&text, &length);
          attribute.name = Utf8(text, length);
          reader.p->GetValue(&text, &length);
          attribute.value = Utf8(text, length);
          attributes.push_back(std::move(attribute));
        }
        reader.p->MoveToElement();
        why = events.Start(name, attributes);
        // An empty element has no end tag of its own.
        if (why.empty() && empty) why = events.End(name);
        break;
      }
      case XmlNodeType_EndElement:
        reader.p->GetLocalName(&text, &length);
        why = events.End(Utf8(text, length));
        break;
      case XmlNodeType_Text:
      case XmlNodeType_CDATA:
      case XmlNodeType_Whitespace:
        reader.p->GetValue(&text, &length);
        events.Text(Utf8(text, length));
        break;
      default:
        break;
    }
    if (!why.empty()) {
      error = At(reader.p, why);
      return false;
    }
  }
  if (FAILED(hr)) {
    error = At(reader.p, HresultText(hr));
    return false;
  }
  return true;
}

}  // namespace nav
