// moblings_timed, the reference program: five creatures walk at a speed scaled by the
// length of each frame, turn at random inside the field and steer home from outside it.
#ifndef SETTINGS_H_
#define SETTINGS_H_

typedef float Position; // how a creature's coordinates are stored

const int POPULATION = 5;
const float DEFAULT_SPEED = 0.5f; // world units per millisecond of frame time
const double TURN_CHANCE = 0.5;   // a creature turns when its draw is below this

const bool MOVES = true;          // false: creatures stand still, no movement phase
const bool TIMED = true;          // frame clock; each step is speed x heading x frame time
const bool STEER_HOME = true;     // a creature outside the field heads for its centre
const bool TURN_ANYWHERE = false; // false: only a creature strictly inside the field turns
const bool WALL_BAND = false;     // a new heading is mirrored within 5 units of a wall
const bool ROT_IN_DEGREES = true; // false: headings read the rotation as radians

const bool CENTRED = false; // start area and projection centred on the origin
const double START_ROT_MIN = 0, START_ROT_MAX = 360; // start rotation drawn in this range
const double TURN_ROT_MIN = 0, TURN_ROT_MAX = 360;   // new rotation on a turn
const bool ROT_FIRST = false;                        // draw the start rotation before the position
const bool DRAW_TURNED = false; // turn each shape by its rotation, read as degrees

const bool SAY_SPAWN = false; // "spawning!" for each creature constructed
const bool SAY_CUE = false;   // a line for each turn test
const bool SAY_MOVED = true;  // "moved: " when the run ends
const bool REPORT = false;    // print every creature when the run ends

#endif
