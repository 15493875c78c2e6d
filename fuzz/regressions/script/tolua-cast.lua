local e = Effect:New("a", "b")
local p = tolua.cast(e, "Part")
Engine:GetEngine():AddPart(p)
