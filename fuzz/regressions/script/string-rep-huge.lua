string.rep("", 2^31 - 1)
string.rep("x", 2^31 - 1)
