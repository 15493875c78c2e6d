-- The bundled demo: four parts drawn with full-screen effects, offscreen
-- targets, a picture rendered once at start, animated parameters, a particle
-- curve and a lit scene file, 24 seconds to the music.
local engine = Engine:GetEngine()
-- The music (made by the build next to vomra.res) is the clock; without it
-- the demo runs on the frame clock.
engine:LoadMusic("file://music.ogg")

local quad = "resource://shaders/quad.vert"

-- Part 1: a plasma drawn into a half-size target, then waved and faded onto the screen.
local plasmaTarget = Target:New(0.5)
local plasma = Effect:New(quad, "resource://shaders/plasma.frag")
plasma:SetParam("speed", 1.5)
plasma:SetParam("tint", 1.0, 0.9, 0.8)

local fadeIn = Animation:New(Animation.IM_LINEAR, Animation.RM_CONSTANT)
fadeIn:AddKey(0, 0)
fadeIn:AddKey(1500, 1)
fadeIn:AddKey(4500, 1)
fadeIn:AddKey(6000, 0)
fadeIn:SetDuration(6000)

local post = Effect:New(quad, "resource://shaders/post.frag")
post:AddSource(plasmaTarget)
post:BindParam("fade", fadeIn)

local part1 = Part:New(6000)
part1:AddPass(Pass:New(Scene:CreateFS(), plasma, plasmaTarget))
part1:AddPass(Pass:New(Scene:CreateFS(), post, Target:Screen()))

-- Part 2: a picture drawn once before the first frame, turning over a plasma,
-- with particles running along a curve on top.
local titleTarget = Target:New()
local title = Effect:New(quad, "resource://shaders/title.frag")
local titlePart = Part:New(1)
titlePart:AddPass(Pass:New(Scene:CreateFS(), title))
engine:RenderOnce(titlePart, titleTarget, 0)

local mixer = Effect:New(quad, "resource://shaders/mix.frag")
mixer:AddSource(titleTarget)
mixer:AddSource(plasmaTarget)

local sparks = Effect:New("resource://shaders/points.vert", "resource://shaders/points.frag")
sparks:SetParam("color", 1.0, 0.9, 0.5, 1.0)
sparks:SetBlendEnabled(true)
sparks:SetBlendFunc(Effect.BF_SRC_ALPHA, Effect.BF_ONE, Effect.BF_ONE, Effect.BF_ONE)

local curve = PointCurve:New(400)
curve:CreatePoint(0.1, 0.2, 0)
curve:CreatePoint(0.3, 0.8, 0)
curve:CreatePoint(0.5, 0.3, 0)
curve:CreatePoint(0.7, 0.85, 0)
curve:CreatePoint(0.9, 0.25, 0)
curve:SetSpeed(0.15, 0.5)
curve:SetOffsetRand(0.02, 0.02, 0)
curve:Distribute(0.5)
-- The curve's node hangs under the quad of the mixing pass with its own effect,
-- so its points are drawn after the quad with the sparks program and blending.
local curveNode = curve:GetNode()
curveNode:SetEffect(sparks)
local mixScene = Scene:CreateFS()
mixScene:GetRoot():Attach(curveNode)

local part2 = Part:New(8000)
part2:AddPass(Pass:New(Scene:CreateFS(), plasma, plasmaTarget))
part2:AddPass(Pass:New(mixScene, mixer, Target:Screen()))
part2:AttachUpdate(curve)

-- Part 3: a scene file (made by the build) lit by its own lights and turned by
-- its own animation, over a dim plasma.
local knot = engine:LoadScene("resource://scenes/knot.m3g")
local lit = Effect:New("resource://shaders/lit.vert", "resource://shaders/lit.frag")
local dim = Effect:New(quad, "resource://shaders/plasma.frag")
dim:SetParam("speed", 0.7)
dim:SetParam("tint", 0.25, 0.2, 0.35)
local part3 = Part:New(6000)
part3:AddPass(Pass:New(Scene:CreateFS(), dim, Target:Screen()))
local knotPass = Pass:New(knot, lit, Target:Screen())
knotPass:SetColorClearEnabled(false)
part3:AddPass(knotPass)

-- Part 4: the plasma alone, with a faster beat, switched on and off by an animation.
local blink = Animation:New(Animation.IM_STEP, Animation.RM_LOOP)
blink:AddKey(0, true)
blink:AddKey(400, false)
blink:SetDuration(500)
local fast = Effect:New(quad, "resource://shaders/plasma.frag")
fast:SetParam("speed", 4.0)
fast:SetParam("tint", 0.6, 0.8, 1.0)
local part4 = Part:New(4000)
local background = Pass:New(Scene:CreateFS(), plasma, Target:Screen())
local flash = Pass:New(Scene:CreateFS(), fast, Target:Screen())
flash:BindState(blink)
part4:AddPass(background)
part4:AddPass(flash)

engine:AddPart(part1)
engine:AddPart(part2)
engine:AddPart(part3)
engine:AddPart(part4)
