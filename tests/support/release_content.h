// Contents of test release files: a header, numbered or random blocks that tell each other
// apart, blank blocks where asked, the model field, and the trailing byte; and the Motorola
// S-record text a conversion starts from. Write them with WriteFile (scratch_folder.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The 1024 data bytes of block n of a test release file: never all 0xFF.
std::string BlockData(std::size_t n);

// Header "REL1", `blocks` blocks of BlockData except the listed blank blocks (all 0xFF), then
// one trailing byte.
std::string ReleaseFileContent(std::size_t blocks, const std::vector<std::size_t>& blank = {});

// A release image whose product field names the model RT47 ("RT47-SAMPLE" at 0x10024).
std::string Rt47Image(std::size_t blocks);

// A release file of `blocks` blocks of random data drawn from `seed`, the listed blocks blank and
// `model` in its model field: an image's product field (16 bytes at 0x10024, padded with zeros,
// left out of an image too short to hold it), a language pack's (8 bytes at 6, padded with
// blanks).
std::string RandomImage(std::size_t blocks, const std::string& model, unsigned seed,
                        const std::vector<std::size_t>& blank = {});
std::string RandomLanguagePack(std::size_t blocks, const std::string& model, unsigned seed,
                               const std::vector<std::size_t>& blank = {});

// The blocks of a release file as the handset ends up holding them: the header and the trailing
// byte dropped.
std::vector<std::uint8_t> ReleaseBlocks(const std::string& content);

// CRC-16/X-25 worked out bit by bit, the textbook definition: independent of the program's table.
std::uint16_t Crc16X25Bitwise(const std::vector<std::uint8_t>& bytes);

// One S-record line (CR LF ended) with its byte count and checksum worked out: type '0' to '9',
// an address of addressSize bytes, the data.
std::string SRecord(char type, std::uint32_t address, std::size_t addressSize,
                    const std::vector<std::uint8_t>& data);

// S3 records of 32 bytes from `address` on, between an S0 header and an S7 end record.
std::string MotorolaText(const std::vector<std::uint8_t>& bytes, std::uint32_t address = 0);
