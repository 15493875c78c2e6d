// A node with child nodes.
#pragma once

#include "m3g/Node.h"

namespace M3G {

class Group : public Node {
public:
    Group(DataSource* source, Loader* loader);
    ~Group() override;
    Type GetType() const override { return T_Group; }
    // Converts the child nodes and attaches them.
    void Create() override;

    unsigned int childCount;
    unsigned int* children;  // object indices; owned, null when there are none
};

}  // namespace M3G
