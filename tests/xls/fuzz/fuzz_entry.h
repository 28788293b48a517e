// The template reader under damaged input: one entry function shared by the libFuzzer
// target and the regression tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tav::xls::fuzz {

// Reads `data` as a template and, when it reads, writes it back. The first byte
// chooses the input: 0x00 a raw Workbook stream (BIFF records, wrapped in a fresh
// compound file), anything else the bytes of a whole compound file (including that
// byte). Returns true when the template was read, false when it was refused with
// tav::Error; anything else (a crash, another exception) is a finding.
bool readTemplate(const std::uint8_t* data, std::size_t size);

} // namespace tav::xls::fuzz
