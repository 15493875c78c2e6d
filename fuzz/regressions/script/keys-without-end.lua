-- Keys without end: each a block of its own.
local a = Animation:New(Animation.IM_LINEAR, Animation.RM_CONSTANT)
local t = 0
while true do t = t + 1 a:AddKey(t, 1, 2, 3, 4) end
