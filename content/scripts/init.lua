-- The bundled demo: six parts, 72 seconds to a tune at 120 beats per minute.
-- A beat is 500 ms and a bar 2000 ms; every part lasts whole bars, so every
-- cut falls on a beat, and shaders pulse with mod(Vomra_un_Time, 500.0).
--   0 s  plasma, faded in                          (4 bars)
--   8 s  a picture drawn once, with sparks on a curve (4 bars)
--  16 s  the textured knot (a 1.0 scene file) with a glow (6 bars)
--  28 s  the skinned serpent (a 2.0 scene file) swimming, with a glow (8 bars)
--  44 s  the serpent folded in a kaleidoscope, the breakdown (6 bars)
--  56 s  the serpent circling the knot, sparks, fade out (8 bars)
local engine = Engine:GetEngine()
-- The music (made by the build next to vomra.res) is the clock; without it
-- the demo runs on the frame clock.
engine:LoadMusic("file://music.ogg")

local kBar = 2000
local quad = "resource://shaders/quad.vert"

-- A fade for a part: from `first` up to full over `inMs`, full, then down to
-- `last` over the part's final `outMs`.
local function Fade(length, inMs, outMs, first, last)
    local fade = Animation:New(Animation.IM_LINEAR, Animation.RM_CONSTANT)
    fade:AddKey(0, first)
    fade:AddKey(inMs, 1)
    fade:AddKey(length - outMs, 1)
    fade:AddKey(length, last or first)
    fade:SetDuration(length)
    return fade
end

-- Part 1: a plasma drawn into a half-size target, then waved and faded onto the screen.
local plasmaTarget = Target:New(0.5)
local plasma = Effect:New(quad, "resource://shaders/plasma.frag")
plasma:SetParam("speed", 1.5)
plasma:SetParam("tint", 1.0, 0.9, 0.8)

local post = Effect:New(quad, "resource://shaders/post.frag")
post:AddSource(plasmaTarget)
post:BindParam("fade", Fade(4 * kBar, 1500, 1000, 0.3))

local part1 = Part:New(4 * kBar)
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

local function Sparks(r, g, b)
    local sparks = Effect:New("resource://shaders/points.vert", "resource://shaders/points.frag")
    sparks:SetParam("color", r, g, b, 1.0)
    sparks:SetBlendEnabled(true)
    sparks:SetBlendFunc(Effect.BF_SRC_ALPHA, Effect.BF_ONE, Effect.BF_ONE, Effect.BF_ONE)
    return sparks
end

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
curveNode:SetEffect(Sparks(1.0, 0.9, 0.5))
local mixScene = Scene:CreateFS()
mixScene:GetRoot():Attach(curveNode)

local part2 = Part:New(4 * kBar)
part2:AddPass(Pass:New(Scene:CreateFS(), plasma, plasmaTarget))
part2:AddPass(Pass:New(mixScene, mixer, Target:Screen()))
part2:AttachUpdate(curve)

-- The glow every 3D part goes through: the scene is drawn into a full-size
-- target (its depth buffer keeps crossing strands in order), its bright parts
-- into a half-size one, blurred across and down between two half-size
-- targets, and added back over the scene by the part's own last pass.
local sceneTarget = Target:New()
local glowA = Target:New(0.5)
local glowB = Target:New(0.5)
local bright = Effect:New(quad, "resource://shaders/bright.frag")
bright:AddSource(sceneTarget)
bright:SetParam("scale", 0.5)
bright:SetParam("threshold", 0.55)
local blurAcross = Effect:New(quad, "resource://shaders/blur.frag")
blurAcross:AddSource(glowA)
blurAcross:SetParam("scale", 0.5)
blurAcross:SetParam("axis", 1.0, 0.0)
local blurDown = Effect:New(quad, "resource://shaders/blur.frag")
blurDown:AddSource(glowB)
blurDown:SetParam("scale", 0.5)
blurDown:SetParam("axis", 0.0, 1.0)

local function AddGlow(part)
    part:AddPass(Pass:New(Scene:CreateFS(), bright, glowA))
    part:AddPass(Pass:New(Scene:CreateFS(), blurAcross, glowB))
    part:AddPass(Pass:New(Scene:CreateFS(), blurDown, glowA))
end

local function Composite(strength, fade)
    local composite = Effect:New(quad, "resource://shaders/composite.frag")
    composite:AddSource(sceneTarget)
    composite:AddSource(glowA)
    composite:SetParam("strength", strength)
    composite:BindParam("fade", fade)
    return composite
end

-- A scene pass that draws over what the part's backdrop left in the target.
local function Over(scene, effect)
    local pass = Pass:New(scene, effect, sceneTarget)
    pass:SetColorClearEnabled(false)
    return pass
end

-- Part 3: the knot from a 1.0 scene file, lit by its own lights, textured by
-- its own picture and turned by its own animation, over a dim plasma.
local knot = engine:LoadScene("resource://scenes/knot.m3g")
local knotLook = Effect:New("resource://shaders/lit.vert", "resource://shaders/lit.frag")
knotLook:SetParam("rim", 0.4, 0.6, 1.0)
local dim = Effect:New(quad, "resource://shaders/plasma.frag")
dim:SetParam("speed", 0.7)
dim:SetParam("tint", 0.25, 0.2, 0.35)
local part3 = Part:New(6 * kBar)
part3:AddPass(Pass:New(Scene:CreateFS(), dim, sceneTarget))
part3:AddPass(Over(knot, knotLook))
AddGlow(part3)
part3:AddPass(Pass:New(Scene:CreateFS(), Composite(1.2, Fade(6 * kBar, 250, 250, 0.7)), Target:Screen()))

-- Part 4: the serpent from a 2.0 scene file: sixteen bones swinging on the
-- bar, skinned in batches of eight bones, in deep water.
local serpent = engine:LoadScene("resource://scenes/serpent.m3g")
local serpentLook = Effect:New("resource://shaders/lit.vert", "resource://shaders/lit.frag")
serpentLook:SetParam("rim", 0.3, 0.9, 0.6)
local ocean = Effect:New(quad, "resource://shaders/ocean.frag")
ocean:SetParam("tint", 0.2, 0.5, 0.6)
local part4 = Part:New(8 * kBar)
part4:AddPass(Pass:New(Scene:CreateFS(), ocean, sceneTarget))
part4:AddPass(Over(serpent, serpentLook))
AddGlow(part4)
part4:AddPass(Pass:New(Scene:CreateFS(), Composite(1.0, Fade(8 * kBar, 250, 250, 0.7)), Target:Screen()))

-- For parts 5 and 6 a knot's turning group joins a serpent's world, behind it,
-- lit by the serpent's lights. Both are fresh copies of the scene files, so the
-- parts before keep theirs as they were.
local together = engine:LoadScene("resource://scenes/serpent.m3g")
local knotGroup = engine:LoadScene("resource://scenes/knot.m3g"):Find(30)
knotGroup:SetLocation(0, 0.8, -3.0)
together:GetRoot():Attach(knotGroup)

-- Part 5: the breakdown: the serpent and the knot folded into a turning
-- kaleidoscope round the knot.
local kaleido = Effect:New(quad, "resource://shaders/kaleido.frag")
kaleido:AddSource(sceneTarget)
kaleido:AddSource(glowA)
kaleido:SetParam("centre", 0.5, 0.62)
kaleido:BindParam("fade", Fade(6 * kBar, 500, 250, 0.6))
local part5 = Part:New(6 * kBar)
part5:AddPass(Pass:New(Scene:CreateFS(), ocean, sceneTarget))
part5:AddPass(Over(together, serpentLook))
AddGlow(part5)
part5:AddPass(Pass:New(Scene:CreateFS(), kaleido, Target:Screen()))

-- Part 6: sparks circle the knot on a closed curve, then everything fades.
local ring = PointCurve:New(600)
for i = 0, 8 do
    local a = i * math.pi / 4
    ring:CreatePoint(0.5 + 0.36 * math.cos(a) * 0.6, 0.6 + 0.36 * math.sin(a), 0)
end
ring:SetSpeed(0.25, 0.6)
ring:SetOffsetRand(0.015, 0.015, 0)
ring:Distribute(0.3)
local ringNode = ring:GetNode()
ringNode:SetEffect(Sparks(0.5, 0.9, 1.0))
local finaleScene = Scene:CreateFS()
finaleScene:GetRoot():Attach(ringNode)
local finale = Composite(1.4, Fade(8 * kBar, 250, 4000, 0.7, 0.0))

local part6 = Part:New(8 * kBar)
part6:AddPass(Pass:New(Scene:CreateFS(), ocean, sceneTarget))
part6:AddPass(Over(together, serpentLook))
AddGlow(part6)
part6:AddPass(Pass:New(finaleScene, finale, Target:Screen()))
part6:AttachUpdate(ring)

engine:AddPart(part1)
engine:AddPart(part2)
engine:AddPart(part3)
engine:AddPart(part4)
engine:AddPart(part5)
engine:AddPart(part6)
