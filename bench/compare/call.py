def f(n):
    return n + 1 if n < 500000 else n - 1
i = 0
s = 0
for _ in range(1000000):
    i += 1
    s = f(i)
print(s)
