local r = debug.getregistry()
r.Target = 5
Target:New()
