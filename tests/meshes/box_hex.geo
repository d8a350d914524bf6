// One box of a pair meshed independently with hexahedra: side 0 is A = [0,1]^3, side 1 is
// B = [1,2]x[0,1]^2, n cells along each edge; the interface x = 1 is conforming, the node numbers
// are each box's own.
If (!Exists(side)) side = 0; EndIf
If (!Exists(n)) n = 4; EndIf
Point(1) = {side, 0, 0}; Point(2) = {side, 1, 0}; Point(3) = {side, 1, 1}; Point(4) = {side, 0, 1};
Line(1) = {1, 2}; Line(2) = {2, 3}; Line(3) = {3, 4}; Line(4) = {4, 1};
Curve Loop(1) = {1, 2, 3, 4};
Plane Surface(1) = {1};
Transfinite Curve{1:4} = n + 1;
Transfinite Surface{1};
Recombine Surface{1};
out[] = Extrude {1, 0, 0} { Surface{1}; Layers{n}; Recombine; };
Physical Volume("box") = {out[1]};
