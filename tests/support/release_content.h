// Contents of test release files: a header, numbered blocks whose data tells them apart, blank
// blocks where asked, and the trailing byte.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The 1024 data bytes of block n of a test release file: never all 0xFF.
std::string BlockData(std::size_t n);

// Header "REL1", `blocks` blocks of BlockData except the listed blank blocks (all 0xFF), then
// one trailing byte.
std::string ReleaseFileContent(std::size_t blocks, const std::vector<std::size_t>& blank = {});

// A release image whose product field names the model RT47 ("RT47-SAMPLE" at 0x10024).
std::string Rt47Image(std::size_t blocks);
