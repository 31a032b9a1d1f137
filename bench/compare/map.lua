local m = {}
for i = 1, 500000 do m["key" .. i] = i end
local n = 0
for i = 1, 500000 do n = n + m["key" .. i] end
print(n)
