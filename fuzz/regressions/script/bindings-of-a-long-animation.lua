-- 200,000 parameters bound to an animation of 500,000 keys: each frame
-- searches the keys once per parameter, which must not scan them.
local a = Animation:New(Animation.IM_LINEAR, Animation.RM_CONSTANT)
for i = 1, 500000 do a:AddKey(i, i) end
local e = Effect:New('resource://q.vert', 'resource://w.frag')
for i = 1, 200000 do e:BindParam('p', a) end
local part = Part:New(1000)
part:AddPass(Pass:New(Scene:CreateFS(), e, Target:Screen()))
Engine:GetEngine():AddPart(part)
