// The header record.
#include "m3g/Header.h"

namespace M3G {

Header::Header(DataSource* source, unsigned int length) {
    versionNumber = ReadU16(source);
    hasExternalReferences = ReadBool(source);
    totalFileSize = ReadU32(source);
    approximateContentSize = ReadU32(source);
    // The authoring text fills the record after the 11 bytes above.
    authoringField = ReadString(source, length > 11 ? length - 11 : 0);
}

Header::~Header() {
    delete[] authoringField;
}

}  // namespace M3G
