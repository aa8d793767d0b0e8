// SPDX-License-Identifier: MIT
// One creature: identity, speed, size, where it is and was, which way it faces and the
// unit vector it walks along. A plain value: copies keep the identity.
#ifndef MOBLING_H_
#define MOBLING_H_

#include "program.h"

class mobling {
  private:
    int id;
    float Speed;
    int Size;
    Position PosX;
    Position PosY;
    float LastPosX;
    float LastPosY;
    float Rot;
    float HeadingX;
    float HeadingY;

  public:
    static int count; // creatures constructed so far (copies are not counted)

    mobling();
    ~mobling() = default;

    void SetSpeed(float sp);
    float GetSpeed(); // world units per millisecond
    void SetSize(int si);
    int GetSize();
    void SetPosX(Position x);
    Position GetPosX();
    void SetPosY(Position y);
    Position GetPosY();
    void SetLastPosX(float lx);
    float GetLastPosX();
    void SetLastPosY(float ly);
    float GetLastPosY();
    void SetRot(float r);
    float GetRot();
    void SetHeadingX(float hx);
    float GetHeadingX();
    void SetHeadingY(float hy);
    float GetHeadingY();

    // Writes the creature's state to standard output, one labelled value a line.
    void Print();
};

#endif
