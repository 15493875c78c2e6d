local environment = debug.getfenv(Target:New())
environment.Target = 5
Target:New()
