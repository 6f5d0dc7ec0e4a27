// Tests write registry values under a key of their own, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

// While it lives, every registry path is taken below HKCU\Software\TrackscrubTest-<n>.
class RegistrySandbox {
 public:
  RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;
  ~RegistrySandbox();

  // Stores a raw value below the sandbox's settings key.
  void SetRaw(const wchar_t* name, uint32_t type, const std::string& bytes);
  // A wide string as UTF-16 little-endian bytes, `terminator` adding the NUL.
  static std::string Utf16(const std::wstring& text, bool terminator);

 private:
  std::wstring root_;
};

// A test fixture that gives every test a fresh sandbox.
class RegistryTest : public testing::Test {
 protected:
  RegistrySandbox registry_;
};
