#include "io/DataSource.h"

#include <cassert>

void DataSource::Align(unsigned int n) {
    assert(n > 0);
    unsigned int p = GetPosition();
    if (p % n != 0) SetPosition(p + n - p % n);
}
