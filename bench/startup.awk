# Reads xprobe's lines, "PROGRAM key=value ...", one a run, and gathers the
# first-paint times and peak memories of each program; the script that
# includes this prints them in its END block.

function sorted(list, a,   n, i, j, t) {
    n = split(list, a, " ")
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j-1] + 0 > a[j] + 0; j--) { t = a[j]; a[j] = a[j-1]; a[j-1] = t }
    return n
}
function median(list,   n, a) {
    n = sorted(list, a)
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
function minimum(list,   a) {
    sorted(list, a)
    return a[1]
}
{
    name = $1
    if (!(name in seen)) { order[++count] = name; seen[name] = 1 }
    for (i = 2; i <= NF; i++) {
        split($i, kv, "=")
        if (kv[1] == "first_paint_ms") paint[name] = paint[name] " " kv[2]
        if (kv[1] == "vmhwm_kib") hwm[name] = hwm[name] " " kv[2]
    }
}
