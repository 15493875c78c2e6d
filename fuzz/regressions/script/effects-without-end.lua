-- Effects without end: each holds a program in the driver.
while true do Effect:New('resource://q.vert', 'resource://w.frag') end
