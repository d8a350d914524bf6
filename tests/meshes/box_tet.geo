// One box of a pair meshed independently with tetrahedra: side 0 is A = [0,1]^3, side 1 is
// B = [1,2]x[0,1]^2. Their interface x = 1 is split into 3 x 3 squares meshed alike on both sides
// (transfinite), so its triangles coincide, but each box numbers its nodes its own way. With
// patch = 1 the middle square of B is meshed unstructured instead: its triangles match nothing.
If (!Exists(side)) side = 0; EndIf
If (!Exists(patch)) patch = 0; EndIf
If (!Exists(n)) n = 3; EndIf      // nodes along each edge of an interface square
x0 = side;                          // the box's x range: x0 .. x0 + 1
xi = 1;                             // the interface plane
xo = side == 0 ? 0 : 2;             // the far plane
h = 1 / (3 * (n - 1));
// Interface grid points (4 x 4) at x = 1, the same tags and coordinates on both sides.
For j In {0:3}
  For k In {0:3}
    Point(1 + j + 4 * k) = {xi, j / 3, k / 3, h};
  EndFor
EndFor
// Lines along y (tags 100+) and along z (tags 200+).
For k In {0:3}
  For j In {0:2}
    Line(100 + j + 3 * k) = {1 + j + 4 * k, 2 + j + 4 * k};
  EndFor
EndFor
For j In {0:3}
  For k In {0:2}
    Line(200 + k + 3 * j) = {1 + j + 4 * k, 1 + j + 4 * (k + 1)};
  EndFor
EndFor
Transfinite Curve{100:108, 200:211} = n;
For j In {0:2}
  For k In {0:2}
    s = 300 + j + 3 * k;
    Curve Loop(s) = {100 + j + 3 * k, 200 + k + 3 * (j + 1), -(100 + j + 3 * (k + 1)), -(200 + k + 3 * j)};
    Plane Surface(s) = {s};
    If (!(patch == 1 && side == 1 && j == 1 && k == 1))
      Transfinite Surface{s};
    EndIf
  EndFor
EndFor
If (patch == 1 && side == 1)
  Point(50) = {xi, 0.5, 0.5, h / 3};
  Point{50} In Surface{304};
EndIf
// The far side and the walls.
Point(21) = {xo, 0, 0, 3 * h}; Point(22) = {xo, 1, 0, 3 * h};
Point(23) = {xo, 1, 1, 3 * h}; Point(24) = {xo, 0, 1, 3 * h};
Line(31) = {21, 22}; Line(32) = {22, 23}; Line(33) = {23, 24}; Line(34) = {24, 21};
Line(35) = {1, 21}; Line(36) = {4, 22}; Line(37) = {16, 23}; Line(38) = {13, 24};
Curve Loop(41) = {31, 32, 33, 34}; Plane Surface(41) = {41};
Curve Loop(42) = {100, 101, 102, 36, -31, -35}; Plane Surface(42) = {42};
Curve Loop(43) = {209, 210, 211, 37, -32, -36}; Plane Surface(43) = {43};
Curve Loop(44) = {109, 110, 111, 37, 33, -38}; Plane Surface(44) = {44};
Curve Loop(45) = {200, 201, 202, 38, 34, -35}; Plane Surface(45) = {45};
Surface Loop(51) = {300:308, 41:45};
Volume(61) = {51};
Physical Volume("box") = {61};
Physical Surface("interface") = {300:308};
