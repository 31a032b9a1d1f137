local parts = {}
for i = 1, 1000000 do parts[i] = tostring(i) end
print(#table.concat(parts))
