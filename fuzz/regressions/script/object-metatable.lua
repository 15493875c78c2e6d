local t = Target:New()
local mt = getmetatable(t)
mt.tolua_ubox = 5
Target:New()
