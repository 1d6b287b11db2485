// A fresh device folder per test: $TMPDIR/ce-kernel-XXXXXX with fs/, named by CE_DEVICE.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ce/device.h"
#include "ce/kernel.h"

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Host path of a path relative to the device folder ("fs/a/b").
  std::string Host(const std::string& relative) const { return root_ + "/" + relative; }
  void WriteHostFile(const std::string& relative, const std::string& content) const;
  std::string ReadHostFile(const std::string& relative) const;
  bool HostExists(const std::string& relative) const;
  void MakeHostFolder(const std::string& relative) const;
  void WriteIni(const std::string& text) const { WriteHostFile("device.ini", text); }

  // Creates a device file through CreateFileW and writes content into it.
  static void MakeFile(LPCWSTR path, const std::string& content);
  // Reads a whole device file through CreateFileW.
  static std::string ReadFileText(LPCWSTR path);

  std::string root_;
};

// UTF-8 rendering of a wide text, for failure messages.
std::string Narrow(const std::u16string& text);
