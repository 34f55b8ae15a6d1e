// Particles: a stream of 500 small sprites flying left from near the bottom right of the screen; a jump in
// the music level sends the new ones off higher or lower, at an angle, whiter. An overlay of the player
// panel. Positions are in 1/512 of the screen, time in the director's units (33 per second). Main thread
// only, with the driver's context current.
#pragma once

#include "support/misc.h"

class GL_MATERIAL;

struct PARTICLE {
  float x, y, z;     // x to the right, y downwards; z is always 0
  float vx, vy, vz;  // per time unit
  float life;        // time units left; dead at 0 or below
  float r, g, b;     // 0 to 1
};

enum { PARTICLE_COUNT = 500 };

extern PARTICLE gParticles[PARTICLE_COUNT];  // live for the whole run, never reset
extern float gPreviousLevel;                 // the music level of the previous ParticlesDraw
extern GL_MATERIAL *gParticlesMaterial;

// Places every particle at the source, alive, and creates the material. Uses rand.
void ParticlesInit();
// Respawns the dead particles (where and how depends on the level change since the previous call), draws
// all of them and moves the living ones by dt. Leaves its state behind. No allocation.
void ParticlesDraw(float dt);
// Releases and deletes the material, if there is one.
void ParticlesFree();
