// One mesh, two physical volumes: boxes A = [0,1]^3 and B = [1,2]x[0,1]^2 sharing the plane
// x = 1, tetrahedra, conforming by construction (one mesh).
SetFactory("OpenCASCADE");
If (!Exists(size)) size = 0.25; EndIf
Box(1) = {0, 0, 0, 1, 1, 1};
Box(2) = {1, 0, 0, 1, 1, 1};
BooleanFragments{ Volume{1}; Delete; }{ Volume{2}; Delete; }
Physical Volume("A") = {1};
Physical Volume("B") = {2};
Mesh.MeshSizeMax = size;
Mesh.MeshSizeMin = size;
