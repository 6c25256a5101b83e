#include "cli/station/unit_records.h"

#include "cli/station/serial_by_id.h"

namespace zelvar::cli {

UnitRecord RecordOf(const UnitState& unit, const ImageIdentity& image,
                    const std::string& byIdName) {
    UnitRecord record = unit;
    record.byIdName = byIdName;
    record.imageName = image.name;
    record.imageSha256 = image.sha256;
    return record;
}

std::vector<UnitRecord> RecordsOf(const std::vector<UnitState>& units, const ImageIdentity& image) {
    std::vector<UnitRecord> records;
    for (const UnitState& unit : units) {
        records.push_back(RecordOf(unit, image, SerialByIdName(unit.port)));
    }
    return records;
}

}  // namespace zelvar::cli
