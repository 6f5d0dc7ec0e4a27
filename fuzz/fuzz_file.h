// The stores read files: each input is written to a file of its own first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes the input to a file in a folder private to this process and returns the
// file's path (the same path every time; the file is replaced).
std::wstring WriteInputFile(const uint8_t* data, size_t size, const char* name);
// The file's content now.
std::string ReadBack(const std::wstring& path);
