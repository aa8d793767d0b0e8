// SPDX-License-Identifier: MIT
// The creature record. The accessors store and return values unchanged: every rule
// about what a value may be lives with the code that computes it.
#include "mobling.h"

#include <iostream>

int mobling::count = 0;

mobling::mobling()
    : Speed(SETTINGS.DefaultSpeed), Size(3), PosX(0), PosY(0), LastPosX(0), LastPosY(0), Rot(0),
      HeadingX(0), HeadingY(0) {
    count++;
    id = count;
    // The untimed and still programs announce every creature made; copies say nothing.
    if (!SETTINGS.Timed) {
        std::cout << "spawning!" << std::endl;
    }
}

void mobling::SetSpeed(float sp) {
    Speed = sp;
}
float mobling::GetSpeed() {
    return Speed;
}
void mobling::SetSize(int si) {
    Size = si;
}
int mobling::GetSize() {
    return Size;
}
void mobling::SetPosX(Position x) {
    PosX = x;
}
Position mobling::GetPosX() {
    return PosX;
}
void mobling::SetPosY(Position y) {
    PosY = y;
}
Position mobling::GetPosY() {
    return PosY;
}
void mobling::SetLastPosX(float lx) {
    LastPosX = lx;
}
float mobling::GetLastPosX() {
    return LastPosX;
}
void mobling::SetLastPosY(float ly) {
    LastPosY = ly;
}
float mobling::GetLastPosY() {
    return LastPosY;
}
void mobling::SetRot(float r) {
    Rot = r;
}
float mobling::GetRot() {
    return Rot;
}
void mobling::SetHeadingX(float hx) {
    HeadingX = hx;
}
float mobling::GetHeadingX() {
    return HeadingX;
}
void mobling::SetHeadingY(float hy) {
    HeadingY = hy;
}
float mobling::GetHeadingY() {
    return HeadingY;
}

void mobling::Print() {
    std::cout << "PosX is " << PosX << std::endl;
    std::cout << "PosY is " << PosY << std::endl;
    // A creature that never moves has no last position or heading worth showing.
    if (SETTINGS.Moves) {
        std::cout << "Last PosX was " << LastPosX << std::endl;
        std::cout << "Last PosY was " << LastPosY << std::endl;
    }
    std::cout << "Rotation value is " << Rot << std::endl;
    if (SETTINGS.Moves) {
        std::cout << "HeadingX is " << HeadingX << std::endl;
        std::cout << "HeadingY is " << HeadingY << std::endl;
    }
}
