// A reference to another file; stored, never followed.
#pragma once

#include "m3g/Object.h"

namespace M3G {

class ExternalReference : public Object {
public:
    ExternalReference(DataSource* source, unsigned int length);
    ~ExternalReference() override;
    Type GetType() const override { return T_ExternalReference; }

    char* uri;  // zero-terminated even when the file's text is not; owned
};

}  // namespace M3G
