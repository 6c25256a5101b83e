// One decoded Motorola S-record line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvar {

constexpr std::size_t kSRecordMaxUnits = 256;  // data units one record can hold

struct SRecord {
    uint8_t type = 0;    // character after 'S' minus '0' (a letter gives more than 9)
    uint16_t count = 0;  // S1/S2/S3: data bytes; S0: 0; others: the raw byte count
    uint32_t address = 0;
    uint16_t data[kSRecordMaxUnits] = {};  // one data byte in the low 8 bits of each unit
    uint16_t checksum = 0;                 // the line's own checksum byte (S1, S2 and S3 only)
};

}  // namespace zelvar
