#pragma once

namespace qb {

constexpr const char* kApplicationTitle = "Quillbox 97";
constexpr const char* kAuthorName = "Morgan Ashdown";
constexpr const char* kAuthorEmail = "morgan.ashdown@quillbox.example";
constexpr const char* kHomePage = "http://www.quillbox.example/";

} // namespace qb
