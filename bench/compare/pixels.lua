local img = {}
for i = 1, 1000000 do img[i] = {10, 20, 30, 0} end
for i = 1, 1000000 do
  local p = img[i]
  img[i] = {p[1] + 1, p[2] + 1, p[3] + 1, p[4]}
end
local p = img[1000000]
print(p[1], p[2], p[3], p[4])
