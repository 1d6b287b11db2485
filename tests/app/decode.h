// Reading back what the program hands the navigator: the Base64 of a camera's data text and the
// parts of a camera description ("street, place !01<data>!").
#pragma once

#include <string>
#include <vector>

namespace apptest {

// Standard Base64 without '=' and without line breaks; false on any other character or a length
// that is not a multiple of 4.
inline bool DecodeBase64(const std::string& text, std::string* out) {
  static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out->clear();
  if (text.size() % 4 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 4) {
    unsigned value = 0;
    for (size_t k = 0; k < 4; ++k) {
      size_t index = kAlphabet.find(text[i + k]);
      if (index == std::string::npos) return false;
      value = (value << 6) | static_cast<unsigned>(index);
    }
    out->push_back(static_cast<char>((value >> 16) & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
    out->push_back(static_cast<char>(value & 0xFF));
  }
  return true;
}

struct CameraDescription {
  std::string address;  // "street, place"
  std::string marker;   // "01"
  std::string data;     // the decoded data text, padding included
};

// Splits "address !01<base64>!" and decodes the data; false when the shape is not that.
inline bool ParseCameraDescription(const std::string& description, CameraDescription* out) {
  size_t open = description.rfind(" !");
  if (open == std::string::npos || description.size() < open + 5 || description.back() != '!') return false;
  out->address = description.substr(0, open);
  out->marker = description.substr(open + 2, 2);
  std::string encoded = description.substr(open + 4, description.size() - open - 5);
  return DecodeBase64(encoded, &out->data);
}

// The items of a data text split at ';' (trailing padding gives empty items).
inline std::vector<std::string> SplitItems(const std::string& data) {
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t semi = data.find(';'); semi != std::string::npos; semi = data.find(';', start)) {
    items.push_back(data.substr(start, semi - start));
    start = semi + 1;
  }
  items.push_back(data.substr(start));
  return items;
}

}  // namespace apptest
