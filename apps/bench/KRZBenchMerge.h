// krz3d bench merge: the node merge of `krz3d couple` (k-d tree) on interfaces of growing size.
#ifndef KRZ_BENCH_KRZBENCHMERGE_H
#define KRZ_BENCH_KRZBENCHMERGE_H

/// Times the merge of two coinciding k x k grids of nodes (one shuffled, both slightly
/// perturbed) for k = start, 2 start, 4 start (4 times the nodes each); prints a table.
int KRZBenchMerge(int start, int reps);

#endif
