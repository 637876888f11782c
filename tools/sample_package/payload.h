// The files the sample package carries inside itself.
#pragma once

#include <span>
#include <string_view>

struct PayloadFile {
    std::string_view name;            // file name in the installation folder
    std::span<const unsigned char> bytes;
    bool executable;
};

std::span<const PayloadFile> PayloadFiles();
