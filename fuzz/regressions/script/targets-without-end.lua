-- Targets without end: stopped by the objects' budget, not the machine's memory.
while true do Target:New() end
