# Draws the toolbar's four 16 x 15 images into toolbar.bmp beside this script (24 bits,
# light grey the face): table selection, refresh, commit, column widths.
import math
import os
import struct
W, H, N = 16, 15, 4
G = (192, 192, 192)
img = [[G] * (W * N) for _ in range(H)]
def px(i, x, y, c):
    if 0 <= x < W and 0 <= y < H: img[y][i * W + x] = c
def rect(i, x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1): px(i, x, y, c)
def frame(i, x0, y0, x1, y1, c):
    for x in range(x0, x1 + 1): px(i, x, y0, c); px(i, x, y1, c)
    for y in range(y0, y1 + 1): px(i, x0, y, c); px(i, x1, y, c)
K, Wh, B, DB, R, Gr, Y = (0,0,0), (255,255,255), (0,0,255), (0,0,128), (200,0,0), (0,128,0), (255,255,0)
# 0 table selection: a small table with a blue header row.
rect(0, 1, 2, 14, 12, Wh); frame(0, 1, 2, 14, 12, K); rect(0, 2, 3, 13, 4, B)
for y in (7, 10):
    for x in range(2, 14): px(0, x, y, (128,128,128))
for y in range(5, 12): px(0, 6, y, (128,128,128)); px(0, 10, y, (128,128,128))
# 1 refresh: a green circular arrow.
for t in range(0, 300, 4):
    a = math.radians(t + 60)
    for r in (4.5, 5.5):
        px(1, int(round(7.5 + r * math.cos(a))), int(round(7 + r * math.sin(a))), Gr)
for (x, y) in [(11,1),(12,2),(13,3),(10,2),(11,3),(12,4),(11,4),(10,4),(9,4),(12,5)]:
    px(1, x, y, Gr)
# 2 commit: a floppy disk.
rect(2, 1, 1, 14, 13, DB); rect(2, 4, 1, 11, 5, Wh); rect(2, 9, 2, 10, 4, DB)
rect(2, 3, 8, 12, 13, (160,160,160)); frame(2, 1, 1, 14, 13, K)
# 3 column widths: a column between two arrows.
for y in range(1, 14): px(3, 7, y, K); px(3, 8, y, K)
for x in range(1, 6): px(3, x, 7, R)
for x in range(10, 15): px(3, x, 7, R)
for d in range(1, 4):
    px(3, 1 + d, 7 - d, R); px(3, 1 + d, 7 + d, R); px(3, 14 - d, 7 - d, R); px(3, 14 - d, 7 + d, R)
w = W * N
stride = (w * 3 + 3) // 4 * 4
pixels = b''
for y in range(H - 1, -1, -1):
    row = b''.join(bytes((c[2], c[1], c[0])) for c in img[y])
    pixels += row + b'\0' * (stride - len(row))
info = struct.pack('<IiiHHIIiiII', 40, w, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
head = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(pixels), 0, 0, 54)
open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'toolbar.bmp'), 'wb').write(head + info + pixels)
