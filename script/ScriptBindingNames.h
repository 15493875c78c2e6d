// Included only by the generated binding: the script names its classes
// without the Demo:: prefix, and those bare names are the binding's type names
// ("Part", "Scene", ...). Engine classes of the same names (Scene, Pass,
// Animation, Engine, Actor) live at global scope, so the bare names are mapped
// onto the demo classes here, after every declaration, for that one
// translation unit.
#pragma once

#include "demo/Actor.h"
#include "demo/Animation.h"
#include "demo/Effect.h"
#include "demo/Engine.h"
#include "demo/Image.h"
#include "demo/Node.h"
#include "demo/Object.h"
#include "demo/Part.h"
#include "demo/Pass.h"
#include "demo/PointCurve.h"
#include "demo/Scene.h"
#include "demo/Target.h"

#define Object Demo::Object
#define Actor Demo::Actor
#define Animation Demo::Animation
#define Effect Demo::Effect
#define Engine Demo::Engine
#define Image Demo::Image
#define Node Demo::Node
#define Part Demo::Part
#define Pass Demo::Pass
#define PointCurve Demo::PointCurve
#define Scene Demo::Scene
#define Target Demo::Target
