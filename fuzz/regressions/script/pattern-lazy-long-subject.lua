string.match(string.rep("a", 8e5), string.rep("a-8e5), string.rep?#", 3e0))
