// The header record.
#include "m3g/Header.h"

#include "io/DataSource.h"

namespace M3G {

Header::Header(DataSource* source, unsigned int length) {
    versionNumber = ReadU16(source);
    hasExternalReferences = ReadBool(source);
    totalFileSize = ReadU32(source);
    approximateContentSize = ReadU32(source);
    unsigned int n = length > 11 ? length - 11 : 0;
    if (n > source->GetRemaining()) n = source->GetRemaining();
    authoringField = new char[n + 1];
    ReadBytes(source, reinterpret_cast<unsigned char*>(authoringField), n);
    authoringField[n] = 0;
}

Header::~Header() {
    delete[] authoringField;
}

}  // namespace M3G
