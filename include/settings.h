// SPDX-License-Identifier: MIT
// What can differ between the programs built from these classes. The values given here
// are the reference program's; each program's program.h names only what it changes.
#ifndef SETTINGS_H_
#define SETTINGS_H_

struct settings {
    int Population = 5;        // creatures made at start-up
    float DefaultSpeed = 0.5f; // world units per millisecond of frame time
    double TurnChance = 0.5;   // a creature turns when its draw is below this

    // Timed: a frame clock; each step is speed x heading x frame time; a creature outside
    // the field steers home; rotations are degrees; "moved: " when the run ends.
    // Untimed: a unit step along the heading each frame; no steering home; rotations are
    // read as radians; "spawning!" for each creature made.
    bool Timed = true;
    bool Moves = true;         // false: the creatures stand still
    bool TurnAnywhere = false; // false: only a creature strictly inside the field turns
    bool WallBand = false;     // a new heading is mirrored within 5 units of a wall
    bool Centred = false;      // start area and projection centred on the origin
    double StartRotMin = 0;    // the start rotation is drawn from [StartRotMin, StartRotMax]
    double StartRotMax = 360;
    double TurnRotMin = 0; // a turn draws the new rotation from [TurnRotMin, TurnRotMax]
    double TurnRotMax = 360;
    bool RotFirst = false;   // draw the start rotation before the position
    bool DrawTurned = false; // turn each shape by its rotation, read as degrees
    bool SayCue = false;     // a line for each turn test
    bool Report = false;     // print every creature when the run ends
};

#endif
