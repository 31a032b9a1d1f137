b = []
for i in range(1, 1000001):
    b.append(i)
s = 0
for x in b:
    s += x
print(s)
