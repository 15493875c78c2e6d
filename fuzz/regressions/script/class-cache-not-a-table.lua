Target.tolua_ubox = 5
rawset(Target, "tolua_ubox", 5)
Target:New()
