#include "sim/sim_flash.h"

#include <algorithm>
#include <cstdio>

namespace zelvar::sim {

namespace {
constexpr uint32_t kMinSavedBytes = 1024;  // smallest composite image the loader accepts
}

CSimFlash::CSimFlash() : m_bytes(kFlashSize, 0xFF) {}

bool CSimFlash::Load(const std::string& path, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes(kFlashSize + 1);
    size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (got > kFlashSize) {
        error = path + " is larger than the flash";
        return false;
    }
    std::fill(m_bytes.begin(), m_bytes.end(), 0xFF);
    std::copy(bytes.begin(), bytes.begin() + got, m_bytes.begin());
    return true;
}

bool CSimFlash::Save(const std::string& path, std::string& error) const {
    size_t size = m_bytes.size();
    while (size > kMinSavedBytes && m_bytes[size - 1] == 0xFF && m_bytes[size - 2] == 0xFF &&
           m_bytes[size - 3] == 0xFF && m_bytes[size - 4] == 0xFF) {
        size -= 4;
    }
    std::string temp = path + ".part";
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + temp;
        return false;
    }
    bool ok = std::fwrite(m_bytes.data(), 1, size, file) == size;
    ok = (std::fclose(file) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool CSimFlash::Contains(uint32_t address, uint32_t size) {
    return address >= kFlashStart && size <= kFlashSize &&
           address - kFlashStart <= kFlashSize - size;
}

uint8_t CSimFlash::Byte(uint32_t address) const {
    return Contains(address, 1) ? m_bytes[address - kFlashStart] : 0xFF;
}

uint32_t CSimFlash::Word(uint32_t address) const {
    if (!Contains(address, 4)) {
        return 0xFFFFFFFF;
    }
    const uint8_t* p = &m_bytes[address - kFlashStart];
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool CSimFlash::Program(uint32_t address, const uint8_t* data, uint32_t size) {
    if (!Contains(address, size)) {
        return false;
    }
    uint8_t* p = &m_bytes[address - kFlashStart];
    for (uint32_t i = 0; i < size; ++i) {
        p[i] &= data[i];
    }
    return true;
}

void CSimFlash::EraseSector(uint32_t sectorAddress) {
    uint32_t first = (sectorAddress - kFlashStart) / kSectorSize * kSectorSize;
    if (first < kFlashSize) {
        std::fill_n(m_bytes.begin() + first, kSectorSize, 0xFF);
    }
}

bool CSimFlash::XorWord(uint32_t address, uint32_t mask) {
    if (!Contains(address, 4)) {
        return false;
    }
    uint8_t* p = &m_bytes[address - kFlashStart];
    for (int i = 0; i < 4; ++i) {
        p[i] ^= static_cast<uint8_t>(mask >> (8 * i));
    }
    return true;
}

void CSimFlash::Fill(uint32_t address, const std::vector<uint8_t>& bytes) {
    if (Contains(address, static_cast<uint32_t>(bytes.size()))) {
        std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + (address - kFlashStart));
    }
}

uint32_t SectionChecksum(const CSimFlash& flash, uint32_t start, uint32_t end) {
    uint32_t sum = 0;
    for (uint32_t address = start; end - address >= 4 && address < end; address += 4) {
        sum ^= flash.Word(address);
    }
    return sum;
}

uint32_t CheckWordAddress(uint32_t start, uint32_t end) {
    return start + (end - start) / 4 * 4;
}

}  // namespace zelvar::sim
