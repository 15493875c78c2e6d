// The header record: format version and file sizes.
#pragma once

#include "m3g/Object.h"

namespace M3G {

class Header : public Object {
public:
    // length: the record's data length, which bounds the authoring text.
    Header(DataSource* source, unsigned int length);
    ~Header() override;
    Type GetType() const override { return T_Header; }

    // The loader's version for this header: 1 for a 2.0 file, else 0 (a
    // version the format does not name is read as 1.0).
    unsigned int GetLoaderVersion() const { return versionNumber == 2 ? 1 : 0; }

    unsigned int versionNumber;  // major byte, minor byte, read little-endian
    bool hasExternalReferences;
    unsigned int totalFileSize;
    unsigned int approximateContentSize;
    char* authoringField;  // zero-terminated, owned
};

}  // namespace M3G
