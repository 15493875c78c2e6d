-- A chain of 200,000 points, then a ladder of 2^60 paths: walks must neither
-- recurse per level nor follow every path.
local curve = PointCurve:New(4)
local scene = Scene:CreateFS()
local prev = scene:GetRoot()
for i = 1, 200000 do
  local p = curve:CreatePoint(0, 0, 0)
  prev:Attach(p)
  prev = p
end
-- and a ladder: each rung under both nodes of the rung before
local a, b = prev, curve:CreatePoint(0, 0, 0)
prev:Attach(b)
for i = 1, 60 do
  local c, d = curve:CreatePoint(0, 0, 0), curve:CreatePoint(0, 0, 0)
  a:Attach(c) a:Attach(d) b:Attach(c) b:Attach(d)
  a, b = c, d
end
local e = Effect:New('resource://q.vert', 'resource://w.frag')
local part = Part:New(1000)
part:AddPass(Pass:New(scene, e, Target:Screen()))
Engine:GetEngine():AddPart(part)
