img = [(10, 20, 30, 0)] * 1000000
for i in range(1000000):
    r, g, b, t = img[i]
    img[i] = (r + 1, g + 1, b + 1, t)
print(img[999999])
