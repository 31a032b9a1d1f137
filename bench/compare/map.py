m = {}
for i in range(1, 500001):
    m["key" + str(i)] = i
n = 0
for i in range(1, 500001):
    n += m["key" + str(i)]
print(n)
