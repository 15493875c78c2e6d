table.insert({}, -2^31, 1)
