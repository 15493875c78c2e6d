string.match(string.rep("a", 4e5), string.rep("a-?", 3e0))
