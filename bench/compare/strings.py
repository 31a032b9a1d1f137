parts = []
for i in range(1, 1000001):
    parts.append(str(i))
print(len("".join(parts)))
