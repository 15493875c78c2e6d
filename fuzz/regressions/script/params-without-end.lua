-- Parameters without end: each call adds a uniform.
local e = Effect:New('resource://q.vert', 'resource://w.frag')
while true do e:SetParam('p', 1) end
