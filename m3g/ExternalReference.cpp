// External reference records.
#include "m3g/ExternalReference.h"

#include <cstdio>

#include "io/DataSource.h"

namespace M3G {

ExternalReference::ExternalReference(DataSource* source, unsigned int length) {
    unsigned int n = length;
    if (n > source->GetRemaining()) n = source->GetRemaining();
    uri = new char[n + 1];
    ReadBytes(source, reinterpret_cast<unsigned char*>(uri), n);
    uri[n] = 0;
    printf("ExternalReference::ExternalReference() -> %s\n", uri);
}

ExternalReference::~ExternalReference() {
    delete[] uri;
}

}  // namespace M3G
