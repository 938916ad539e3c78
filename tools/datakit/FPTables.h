// The four fixed-point table files: "sintab", "asntab", "atntab" and "divtab" under app\fptables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datakit {

// Entry values, computed from their mathematical definitions (see FPTables.cpp).
int32_t SinTableValue(int k);   // round(65536 sin(k/4096 pi/2)), k = 0..4096
int32_t AsinTableValue(int k);  // round(asin(k/4096) 4096/(pi/2)), k = 0..4096
int32_t AtanTableValue(int k);  // round(65536 atan(k/128)), k = 0..4096
int32_t DivTableValue(int k);   // round(65536/k), k = 0..4096 (0x7fffffff for k = 0)

// A sine table word for a value in -65536..65536: a mantissa in bits 0-16 and an exponent in bits 24-31.
uint32_t EncodeSinWord(int32_t value);

// The file bytes of each table (4097 little-endian 32-bit words).
std::vector<uint8_t> SinTableFile();
std::vector<uint8_t> AsinTableFile();
std::vector<uint8_t> AtanTableFile();
std::vector<uint8_t> DivTableFile();

// Writes the four files under root/app/fptables; false when one cannot be written.
bool WriteFPTables(const std::string& root);

}  // namespace datakit
