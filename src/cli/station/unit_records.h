// The unit report's records from the state of the units.
#pragma once

#include <string>
#include <vector>

#include "cli/station/unit_record.h"
#include "cli/station/unit_state.h"

namespace zelvar::cli {

struct ImageIdentity {
    std::string name;    // the image file's name, without its directory
    std::string sha256;  // of its contents, lowercase hex
};

// unit's record; byIdName is its port's name in the by-id directory ("" for none).
UnitRecord RecordOf(const UnitState& unit, const ImageIdentity& image, const std::string& byIdName);

std::vector<UnitRecord> RecordsOf(const std::vector<UnitState>& units, const ImageIdentity& image);

}  // namespace zelvar::cli
