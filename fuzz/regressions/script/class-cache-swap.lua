local e = Effect:New("a", "b")
local g = Engine:GetEngine()
local cache = rawget(Engine, "tolua_ubox") or g.tolua_ubox
for k, v in pairs(cache) do if v == g then cache[k] = e end end
Engine:GetEngine():AddPart(Part:New(1))
