// External reference records.
#include "m3g/ExternalReference.h"

#include <cstdio>

namespace M3G {

ExternalReference::ExternalReference(DataSource* source, unsigned int length) {
    uri = ReadString(source, length);
    printf("ExternalReference::ExternalReference() -> %s\n", uri);
}

ExternalReference::~ExternalReference() {
    delete[] uri;
}

}  // namespace M3G
