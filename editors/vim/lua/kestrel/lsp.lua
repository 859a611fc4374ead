-- Neovim (0.7 or later) starts kestrel-lsp for Kestrel files: require('kestrel.lsp').setup(opts)
-- in init.lua, with editors/vim on the runtime path. One server runs for each root folder, shared
-- by every Kestrel buffer opened under it.
--
--   cmd       the server's command line, { 'kestrel-lsp' } unless given
--   settings  the server's settings without the "kestrel." prefix: mainFiles, includeDirs, rem,
--             remUnnumbered (paths relative to the root)
--   root      function(buffer) giving a buffer's root folder, the current folder unless given
local M = {}

function M.setup(opts)
  opts = opts or {}
  local cmd = opts.cmd or { 'kestrel-lsp' }
  local settings = { kestrel = opts.settings or {} }
  local root_of = opts.root or function() return vim.fn.getcwd() end
  local clients = {}
  vim.api.nvim_create_autocmd('FileType', {
    group = vim.api.nvim_create_augroup('kestrel_lsp', {}),
    pattern = 'kestrel',
    callback = function(args)
      local root = root_of(args.buf)
      if not clients[root] then
        clients[root] = vim.lsp.start_client({
          name = 'kestrel-lsp',
          cmd = cmd,
          root_dir = root,
          settings = settings,
          -- The server reads its settings from this notification, which Neovim 0.7 never sends
          -- by itself.
          on_init = function(client)
            client.notify('workspace/didChangeConfiguration', { settings = client.config.settings })
          end,
        })
      end
      -- A server that could not start leaves no client: Neovim has already said why.
      if clients[root] then
        vim.lsp.buf_attach_client(args.buf, clients[root])
      end
    end,
  })
end

return M
